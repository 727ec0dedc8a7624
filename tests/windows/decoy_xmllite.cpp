// A library named like the system's XmlLite, placed beside a test program: whoever loads it
// gets a reader factory that always fails, so every XML test of that program fails with it.

#include <windows.h>

extern "C" __declspec(dllexport) HRESULT WINAPI CreateXmlReader(REFIID, void** reader, IMalloc*) {
    if (reader != nullptr) {
        *reader = nullptr;
    }
    return E_FAIL;
}
