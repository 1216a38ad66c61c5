// Reference for idle CPU: the least a polling hotkey program can do, the
// three default keys (Numpad +, -, *) asked once a millisecond.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    volatile int held = 0;  // what a real program would act on
    for (;;) {
        held = ((GetAsyncKeyState(VK_ADD) | GetAsyncKeyState(VK_SUBTRACT) |
                 GetAsyncKeyState(VK_MULTIPLY)) &
                0x8000) != 0;
        Sleep(1);
    }
    return held;
}
