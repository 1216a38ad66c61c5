#pragma once
// The component's properties as its tools call them, by DISPID through
// IDispatch: a failed call gives the component's own words and the code it
// meant instead of throwing, so that a listing can show it and go on.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/ComClient.h"

struct CallFailure {
    HRESULT code = S_OK;
    std::string text;
};

// True where the component has no such property: an older TarnMixer.dll.
bool NotOffered(const CallFailure& failure);

class MixerClient {
public:
    explicit MixerClient(IDispatch* dispatch) : dispatch_(dispatch) {}

    // Reads property `id` as `type` into `value`.
    bool Get(DISPID id, VARTYPE type, Variant& value, CallFailure& failure);
    // Writes `value` as `type`: VT_I2, VT_I4 or VT_BOOL (not 0: true).
    bool Put(DISPID id, VARTYPE type, long value, CallFailure& failure);
    bool PutText(DISPID id, const std::wstring& value, CallFailure& failure);

private:
    bool PutArgument(DISPID id, Variant& argument, CallFailure& failure);
    bool Call(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, CallFailure& failure);

    IDispatch* dispatch_;
};
