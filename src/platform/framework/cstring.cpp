#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/framework/afxwin.h"

namespace {

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

}  // namespace

CString::CString(const char* text) : m_text(text ? text : "") {}

CString::CString(const char* text, int length) {
    if (text && length > 0) m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
    if (repeat > 0) m_text.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(const char* text) {
    m_text = text ? text : "";
    return *this;
}

CString& CString::operator+=(const CString& text) {
    m_text += text.m_text;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) m_text += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.c_str(), count);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.c_str() + first, count);
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.c_str() + GetLength() - count, count);
}

int CString::Find(char ch) const {
    size_t at = m_text.find(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* text) const {
    if (!text) return -1;
    size_t at = m_text.find(text);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char* set) const {
    if (!set) return -1;
    size_t at = m_text.find_first_of(set);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Insert(int index, const char* text) {
    index = std::clamp(index, 0, GetLength());
    if (text) m_text.insert(static_cast<size_t>(index), text);
    return GetLength();
}

void CString::TrimLeft() { m_text.erase(0, m_text.find_first_not_of(kWhiteSpace)); }

void CString::TrimLeft(char ch) { m_text.erase(0, m_text.find_first_not_of(ch)); }

void CString::TrimRight() {
    size_t last = m_text.find_last_not_of(kWhiteSpace);
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

void CString::TrimRight(char ch) {
    size_t last = m_text.find_last_not_of(ch);
    m_text.erase(last == std::string::npos ? 0 : last + 1);
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        m_text.clear();
    } else {
        m_text.resize(static_cast<size_t>(length));
        std::vsnprintf(m_text.data(), m_text.size() + 1, format, args);
    }
    va_end(args);
}

BOOL CString::LoadString(UINT id) {
    const ResourceTable* resources = AfxGetResources();
    if (!resources) return FALSE;
    for (const StringResource& entry : resources->strings) {
        if (entry.id == id) {
            m_text = entry.text;
            return TRUE;
        }
    }
    return FALSE;
}

int CString::Compare(const char* text) const { return std::strcmp(m_text.c_str(), text ? text : ""); }

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, const char* b) {
    CString result(a);
    result += b;
    return result;
}

CString operator+(const char* a, const CString& b) {
    CString result(a);
    result += b;
    return result;
}

bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }

bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
