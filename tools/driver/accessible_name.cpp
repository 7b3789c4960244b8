#include "tools/driver/accessible_name.h"

#include <oleacc.h>

#include <cstdio>

namespace fwdriver {
namespace {

std::string HresultText(const char* call, HRESULT hr) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s failed: 0x%08lx", call,
                  static_cast<unsigned long>(hr));
    return buffer;
}

} // namespace

bool ReadAccessible(HWND hwnd, AccessibleInfo* info, std::string* error) {
    IAccessible* object = nullptr;
    HRESULT hr =
        ::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                     reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        *error = HresultText("AccessibleObjectFromWindow", hr);
        return false;
    }
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    // S_FALSE and no string: the object has no name.
    hr = object->get_accName(self, &name);
    if (SUCCEEDED(hr) && name)
        info->name.assign(name, ::SysStringLen(name));
    ::SysFreeString(name);
    VARIANT role;
    ::VariantInit(&role);
    const HRESULT roleHr = object->get_accRole(self, &role);
    if (SUCCEEDED(roleHr) && role.vt == VT_I4)
        info->role = role.lVal;
    ::VariantClear(&role);
    object->Release();
    if (FAILED(hr)) {
        *error = HresultText("get_accName", hr);
        return false;
    }
    return true;
}

} // namespace fwdriver
