#pragma once
// What "tarnmixer list" prints: the component's backend, its microphones,
// every device and every line as the component reports them through IDispatch.
#include <windows.h>
#include <oaidl.h>

#include <string>

// The listing of the component behind `dispatch`, lines ending in "\n".
std::string ListMixer(IDispatch* dispatch);
