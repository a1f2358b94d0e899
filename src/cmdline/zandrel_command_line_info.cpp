#include "cmdline/zandrel_command_line_info.h"

#include <cstdlib>
#include <cstring>

namespace {

const char kSwitchPrefixes[] = "/-";

bool IsSwitchToken(const char* pszToken) { return std::strchr(kSwitchPrefixes, pszToken[0]) != nullptr; }

}  // namespace

CZandrelCommandLineInfo::CZandrelCommandLineInfo()
    : m_pszToken(nullptr), m_pszBuffer(nullptr), m_pszRest(nullptr) {
    ReadCommandLine();
}

CZandrelCommandLineInfo::~CZandrelCommandLineInfo() { std::free(m_pszBuffer); }

void CZandrelCommandLineInfo::ReadCommandLine() {
    m_strCommandLine = GetCommandLineA();
    m_strCommandLine.TrimLeft();
    m_strCommandLine.TrimRight();
    m_strAppName = AfxGetModuleState()->m_lpszCurrentAppName;
    CopyCommandLine();

    // The framework's hook sees every pair; a value without a switch of its
    // own is reported under the last switch seen.
    CString strSwitch;
    CString strValue;
    m_pszToken = FirstToken();
    if (m_pszToken == nullptr) return;
    m_strProgramPath = m_pszToken;
    m_strProgramPath.TrimLeft('"');
    m_strProgramPath.TrimRight();
    m_strProgramPath.TrimRight('"');
    m_pszToken = NextToken();
    while (m_pszToken != nullptr) {
        CString strName;
        if (TakePair(strName, strValue)) strSwitch = strName;
        const BOOL bLast = m_pszToken == nullptr;
        ParseParam(strSwitch, TRUE, bLast);
        ParseParam(strValue, FALSE, bLast);
    }
}

BOOL CZandrelCommandLineInfo::GetFirstParameter(CString& strSwitch, CString& strValue) {
    strSwitch = "";
    strValue = "";
    // The construction pass has cut the previous copy up; walk a fresh one.
    CopyCommandLine();
    m_pszToken = FirstToken();
    if (m_pszToken == nullptr) return FALSE;
    m_pszToken = NextToken();  // past the program path
    if (m_pszToken == nullptr) return FALSE;
    TakePair(strSwitch, strValue);
    return TRUE;
}

BOOL CZandrelCommandLineInfo::GetNextParameter(CString& strSwitch, CString& strValue) {
    strSwitch = "";
    strValue = "";
    if (m_pszToken == nullptr) return FALSE;
    TakePair(strSwitch, strValue);
    return TRUE;
}

BOOL CZandrelCommandLineInfo::TakePair(CString& strSwitch, CString& strValue) {
    const BOOL bSwitch = IsSwitchToken(m_pszToken);
    if (bSwitch) {
        strSwitch = m_pszToken + 1;
        m_pszToken = NextToken();  // the switch's value, whatever it looks like
    }
    strValue = m_pszToken;  // null: a switch at the end has an empty value
    if (m_pszToken != nullptr) m_pszToken = NextToken();
    return bSwitch;
}

void CZandrelCommandLineInfo::CopyCommandLine() {
    std::free(m_pszBuffer);
    const size_t nSize = static_cast<size_t>(m_strCommandLine.GetLength()) + 1;
    m_pszBuffer = static_cast<char*>(std::malloc(nSize));
    // Without a copy there is nothing to walk: the command line reads as empty.
    if (m_pszBuffer != nullptr) std::memcpy(m_pszBuffer, static_cast<const char*>(m_strCommandLine), nSize);
    m_pszRest = m_pszBuffer;
}

// The program path. A quoted path runs to its closing quote, so a path that
// holds spaces stays one token instead of spilling into the parameters.
char* CZandrelCommandLineInfo::FirstToken() {
    if (m_pszRest == nullptr) return nullptr;
    char* pszStart = m_pszRest + std::strspn(m_pszRest, " ");
    if (*pszStart == '\0') return nullptr;
    char* pszClosing = *pszStart == '"' ? std::strchr(pszStart + 1, '"') : nullptr;
    return CutToken(pszStart, pszClosing != nullptr ? pszClosing : pszStart);
}

char* CZandrelCommandLineInfo::NextToken() {
    if (m_pszRest == nullptr) return nullptr;
    char* pszStart = m_pszRest + std::strspn(m_pszRest, " ");
    if (*pszStart == '\0') {
        m_pszRest = pszStart;
        return nullptr;
    }
    return CutToken(pszStart, pszStart);
}

// Ends the token at the first space from pszSearchFrom on; the next search
// starts after it.
char* CZandrelCommandLineInfo::CutToken(char* pszStart, char* pszSearchFrom) {
    char* pszEnd = std::strchr(pszSearchFrom, ' ');
    if (pszEnd == nullptr) {
        m_pszRest = pszSearchFrom + std::strlen(pszSearchFrom);
    } else {
        *pszEnd = '\0';
        m_pszRest = pszEnd + 1;
    }
    return pszStart;
}
