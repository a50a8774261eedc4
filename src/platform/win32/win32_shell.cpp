#include "platform/win32/win32_shell.h"

#include <windows.h>
#include <oleauto.h>
#include <shellapi.h>

#include <initializer_list>

namespace platform::win32 {

bool Win32Shell::FileExists(const char* name) {
    const DWORD attributes = ::GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32Shell::ShellExecuteA(Window owner, const char* verb, const char* file, const char* parameters,
                               const char* directory, int showCommand) {
    ::ShellExecuteA(reinterpret_cast<HWND>(owner), verb, file, parameters, directory, showCommand);
}

void Win32Shell::ShellExecuteW(Window owner, const char16_t* verb, const char16_t* file, const char16_t* parameters,
                               const char16_t* directory, int showCommand) {
    auto wide = [](const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); };
    ::ShellExecuteW(reinterpret_cast<HWND>(owner), wide(verb), wide(file), wide(parameters), wide(directory),
                    showCommand);
}

namespace {

// Owns one COM interface pointer.
template <class T> class Ref {
public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { if (p_) p_->Release(); }
    T** out() { return &p_; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Owns one VARIANT.
struct Variant {
    VARIANT v;
    Variant() { ::VariantInit(&v); }
    explicit Variant(const wchar_t* text) {
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(text);
    }
    explicit Variant(long value) {
        ::VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = value;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v); }
};

// Calls a method or reads a property by name, as a script would.
bool invoke(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<const Variant*> args,
            Variant& result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    // Arguments go in reverse order.
    VARIANT reversed[8];
    UINT count = 0;
    for (auto it = std::rbegin(args); it != std::rend(args) && count < 8; ++it) reversed[count++] = (*it)->v;
    DISPPARAMS params{count ? reversed : nullptr, nullptr, count, 0};
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.v, nullptr, nullptr));
}

bool dispatchOf(const Variant& v, Ref<IDispatch>& out) {
    if (v.v.vt != VT_DISPATCH || !v.v.pdispVal) return false;
    return SUCCEEDED(v.v.pdispVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out.out())));
}

}  // namespace

bool Win32Wmi::QueryThermalZoneTemperatures(std::vector<std::optional<std::int64_t>>& rows) {
    rows.clear();
    CLSID clsid;
    if (FAILED(::CLSIDFromProgID(L"WbemScripting.SWbemLocator", &clsid))) return false;
    Ref<IDispatch> locator;
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(locator.out()))))
        return false;

    // "." names the local computer; empty user and password use our own account.
    Variant server(L"."), space(L"root\\wmi"), user(L""), password(L"");
    Variant servicesV;
    Ref<IDispatch> services;
    if (!invoke(locator.get(), L"ConnectServer", DISPATCH_METHOD, {&server, &space, &user, &password}, servicesV) ||
        !dispatchOf(servicesV, services))
        return false;

    Variant query(L"SELECT CurrentTemperature FROM MSAcpi_ThermalZoneTemperature"), language(L"WQL"),
        forwardOnly(0x20L);
    Variant resultV;
    Ref<IDispatch> result;
    if (!invoke(services.get(), L"ExecQuery", DISPATCH_METHOD, {&query, &language, &forwardOnly}, resultV) ||
        !dispatchOf(resultV, result))
        return false;

    Variant enumV;
    if (!invoke(result.get(), L"_NewEnum", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, enumV)) return false;
    IUnknown* unknown = enumV.v.vt == VT_UNKNOWN ? enumV.v.punkVal : enumV.v.vt == VT_DISPATCH ? enumV.v.pdispVal : nullptr;
    if (!unknown) return false;
    Ref<IEnumVARIANT> rowsEnum;
    if (FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(rowsEnum.out())))) return false;

    for (;;) {
        Variant rowV;
        ULONG fetched = 0;
        if (rowsEnum->Next(1, &rowV.v, &fetched) != S_OK || fetched != 1) break;
        Ref<IDispatch> row, properties, property;
        Variant propertiesV, propertyV, value;
        Variant name(L"CurrentTemperature");
        if (!dispatchOf(rowV, row) ||
            !invoke(row.get(), L"Properties_", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, propertiesV) ||
            !dispatchOf(propertiesV, properties) ||
            !invoke(properties.get(), L"Item", DISPATCH_METHOD, {&name}, propertyV) || !dispatchOf(propertyV, property) ||
            !invoke(property.get(), L"value", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, value))
            return false;
        if (value.v.vt == VT_NULL || value.v.vt == VT_EMPTY) {
            rows.push_back(std::nullopt);
            continue;
        }
        Variant number;
        if (FAILED(::VariantChangeType(&number.v, &value.v, 0, VT_I8))) return false;
        rows.push_back(number.v.llVal);
    }
    return true;
}

}  // namespace platform::win32
