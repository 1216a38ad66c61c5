#pragma once
// What every caller of the component needs to call it by IDispatch and to
// tell what went wrong: owners of the VARIANT and EXCEPINFO it hands back,
// wide text made 8-bit, and a failure's text. Shared by Tarnbell.exe's
// wrapper and tarnmixer.exe.
#include <windows.h>
#include <oaidl.h>

#include <string>

// A VARIANT that clears itself.
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// The EXCEPINFO of a failed Invoke, whose strings it frees.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO{} {}
    ~ExcepInfo();
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
};

// Keeps COM initialised (single-threaded apartment) on this thread.
class ComApartment {
public:
    ComApartment() : hr_(CoInitialize(nullptr)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

// Wide text in the program's 8-bit Windows ANSI text; `length` -1: up to the
// terminating zero.
std::string Narrow(const wchar_t* text, int length = -1);

// The system's words for a failure, without the closing full stop.
std::string SystemText(HRESULT hr);

// The text of a failed call: the component's own description where it gave
// one (DISP_E_EXCEPTION), else the system's words. Fills in a deferred
// description first, and gives the code the component meant in `code`.
std::string InvokeErrorText(HRESULT hr, ExcepInfo& info, HRESULT& code);
