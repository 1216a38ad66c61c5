// tarnmixer-list: creates the mixer component through COM, as the program
// does, and lists what it sees: the backend, every device and every line.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstdio>

#include "MixerListing.h"
#include "TarnMixerIds.h"

#include "common/ComClient.h"

using Microsoft::WRL::ComPtr;

int main()
{
    ComApartment com;
    if (FAILED(com.Result())) {
        std::printf("COM could not be started.\n");
        return 2;
    }
    ComPtr<IDispatch> dispatch;
    const HRESULT hr =
        CoCreateInstance(CLSID_TarnMixer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_PPV_ARGS(&dispatch));
    if (FAILED(hr)) {
        std::printf("TarnMixer could not be created: %s (0x%08lX).\n", SystemText(hr).c_str(),
                    static_cast<unsigned long>(hr));
        return 1;
    }
    std::fputs(ListMixer(dispatch.Get()).c_str(), stdout);
    return 0;
}
