#pragma once
// One owner for every kind of handle the program, its component and the
// settings keep: a std::unique_ptr whose deleter calls the function that
// frees that kind. Free of <windows.h> itself, so that every layer may use it:
//   Owned<HFONT, DeleteObject> font(CreateFontW(...));
//   Owned<HKEY, RegCloseKey> key;
#include <memory>
#include <type_traits>

template <auto Free>
struct FreeWith {
    template <typename Handle>
    void operator()(Handle handle) const
    {
        Free(handle);
    }
};

template <typename Handle, auto Free>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, FreeWith<Free>>;
