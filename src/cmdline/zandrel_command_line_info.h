// Splits the process command line into the program path and switch/value
// pairs. A word beginning with "/" or "-" is a switch and the word after it is
// its value; any other word is a value without a switch. Only the space
// separates words. Meaning and validation belong to the dialog's handler.
#pragma once

#include "platform/framework/afxwin.h"

class CZandrelCommandLineInfo : public CCommandLineInfo {
public:
    CZandrelCommandLineInfo();
    ~CZandrelCommandLineInfo() override;
    CZandrelCommandLineInfo(const CZandrelCommandLineInfo&) = delete;
    CZandrelCommandLineInfo& operator=(const CZandrelCommandLineInfo&) = delete;

    void ReadCommandLine();
    // Restarts at the first pair after the program path; FALSE when there is none.
    BOOL GetFirstParameter(CString& strSwitch, CString& strValue);
    // The pair after the last one delivered; FALSE when none is left.
    BOOL GetNextParameter(CString& strSwitch, CString& strValue);

protected:
    CString m_strCommandLine;
    CString m_strAppName;
    CString m_strProgramPath;
    char* m_pszToken;
    char* m_pszBuffer;

private:
    // Where the search for the token after m_pszToken starts: the walk's
    // position, kept here rather than in any state shared with other code.
    char* m_pszRest;

    void CopyCommandLine();
    char* FirstToken();
    char* NextToken();
    char* CutToken(char* pszStart, char* pszSearchFrom);
    // Reads the pair at m_pszToken and moves m_pszToken to the token after
    // it; TRUE when the pair had a switch token.
    BOOL TakePair(CString& strSwitch, CString& strValue);
};
