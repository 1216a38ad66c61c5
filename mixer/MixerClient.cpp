#include "MixerClient.h"

#include <new>

bool NotOffered(const CallFailure& failure)
{
    return failure.code == DISP_E_MEMBERNOTFOUND || failure.code == DISP_E_UNKNOWNNAME;
}

bool MixerClient::Get(DISPID id, VARTYPE type, Variant& value, CallFailure& failure)
{
    DISPPARAMS none{};
    if (!Call(id, DISPATCH_PROPERTYGET, none, &value, failure)) return false;
    const HRESULT hr = VariantChangeType(&value, &value, 0, type);
    if (FAILED(hr)) failure = {hr, SystemText(hr)};
    return SUCCEEDED(hr);
}

bool MixerClient::Put(DISPID id, VARTYPE type, long value, CallFailure& failure)
{
    Variant argument;
    V_VT(&argument) = type;
    if (type == VT_BOOL)
        V_BOOL(&argument) = value ? VARIANT_TRUE : VARIANT_FALSE;
    else if (type == VT_I2)
        V_I2(&argument) = static_cast<SHORT>(value);
    else
        V_I4(&argument) = value;
    return PutArgument(id, argument, failure);
}

bool MixerClient::PutText(DISPID id, const std::wstring& value, CallFailure& failure)
{
    Variant argument;
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!V_BSTR(&argument)) throw std::bad_alloc();
    return PutArgument(id, argument, failure);
}

bool MixerClient::PutArgument(DISPID id, Variant& argument, CallFailure& failure)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    return Call(id, DISPATCH_PROPERTYPUT, params, nullptr, failure);
}

bool MixerClient::Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result,
                       CallFailure& failure)
{
    ExcepInfo info;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &params, result, &info, nullptr);
    if (SUCCEEDED(hr)) return true;
    failure.text = InvokeErrorText(hr, info, failure.code);
    return false;
}
