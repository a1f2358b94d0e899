#include "transfer/number_text.h"

CString GroupedNumber(ULONGLONG nValue) {
    CString strDigits;
    strDigits.Format("%llu", static_cast<unsigned long long>(nValue));
    CString strGrouped;
    const int nDigits = strDigits.GetLength();
    for (int i = 0; i < nDigits; ++i) {
        if (i > 0 && (nDigits - i) % 3 == 0) strGrouped += ',';
        strGrouped += strDigits.GetAt(i);
    }
    return strGrouped;
}
