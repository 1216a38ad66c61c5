#pragma once
// Raw IDispatch calls for the component tests, keeping every result a test
// may look at: the HRESULT, the value, the EXCEPINFO and the argument error.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

struct ComApartment {
    ComApartment() { CoInitialize(nullptr); }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

struct CallResult {
    HRESULT hr = E_FAIL;
    Variant value;
    HRESULT scode = S_OK;
    std::wstring source;
    std::wstring description;
    UINT argError = ~0u;
};

class Dispatcher {
public:
    explicit Dispatcher(IDispatch* dispatch) : dispatch_(dispatch) {}

    void Get(DISPID id, CallResult& r) const
    {
        DISPPARAMS none{};
        Call(id, DISPATCH_PROPERTYGET, none, &r.value, r);
    }

    // Puts `value` as the property's one argument, named DISPID_PROPERTYPUT.
    void Put(DISPID id, const VARIANT& value, CallResult& r) const
    {
        VARIANT argument = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&argument, &named, 1, 1};
        Call(id, DISPATCH_PROPERTYPUT, params, nullptr, r);
    }

    // Shorthands that expect success; a failure shows in the test output.
    long GetLong(DISPID id) const
    {
        CallResult r;
        Get(id, r);
        Variant number;
        if (FAILED(r.hr) || FAILED(VariantChangeType(&number, &r.value, 0, VT_I4)))
            ADD_FAILURE() << "get of DISPID " << id << " failed: 0x" << std::hex << r.hr;
        return V_VT(&number) == VT_I4 ? V_I4(&number) : -99999;
    }
    bool GetBool(DISPID id) const { return GetLong(id) != 0; }
    std::wstring GetString(DISPID id) const
    {
        CallResult r;
        Get(id, r);
        if (FAILED(r.hr) || V_VT(&r.value) != VT_BSTR) {
            ADD_FAILURE() << "get of DISPID " << id << " failed: 0x" << std::hex << r.hr;
            return L"?";
        }
        return std::wstring(V_BSTR(&r.value), SysStringLen(V_BSTR(&r.value)));
    }
    HRESULT PutLong(DISPID id, long value) const
    {
        CallResult r;
        PutLong(id, value, r);
        return r.hr;
    }
    void PutLong(DISPID id, long value, CallResult& r) const
    {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        Put(id, v, r);
    }
    HRESULT PutBool(DISPID id, bool value) const
    {
        VARIANT v;
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
        CallResult r;
        Put(id, v, r);
        return r.hr;
    }

    void Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, CallResult& r) const
    {
        EXCEPINFO info{};
        r.hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &params, result, &info, &r.argError);
        r.scode = info.scode;
        if (info.bstrSource) r.source = info.bstrSource;
        if (info.bstrDescription) r.description = info.bstrDescription;
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }

private:
    IDispatch* dispatch_;
};
