// One of the capture's two files, opened for appending for one pass and closed
// at its end, so that other programs can read, move or rotate the files at any
// time between passes.
#pragma once

#include <cstddef>
#include <string>

// Whether a capture may append to the path: nothing is there yet, or a regular
// file. Opening a FIFO would hang the pass until some reader came, and a
// directory or a device can never hold the capture.
bool IsCaptureTarget(const char* pszFileName);

class CCaptureFile {
public:
    explicit CCaptureFile(const char* pszFileName);
    ~CCaptureFile();
    CCaptureFile(const CCaptureFile&) = delete;
    CCaptureFile& operator=(const CCaptureFile&) = delete;

    bool IsOpen() const { return m_nFile >= 0; }
    // Appends the bytes whole or not at all: what a short write put in is
    // taken back, so the file only ever holds whole passes. When another
    // program wrote behind them meanwhile, they cannot be taken back alone:
    // false all the same, and Kept() says how many of them stay in the file.
    bool Append(const char* pData, size_t nLength);
    size_t Kept() const { return m_nKept; }
    // The file's length now: where an append starts.
    long long Length() const;
    // Closes the file; false when the close reported an error.
    bool Close();

    // The last failure as the user is told it: "cannot write cap.txt: No space left on device".
    std::string FaultText() const;

private:
    const char* m_pszFileName;
    int m_nFile;  // the descriptor: each pass is one write, so a stream buffer would only cost
    int m_nError = 0;
    size_t m_nKept = 0;

    void TakeBack(size_t nWritten);
};
