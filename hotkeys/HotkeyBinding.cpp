#include "hotkeys/HotkeyBinding.h"

HotkeyBindings Hotkeys;

namespace {

struct BindingCodes {
    std::int32_t Modifier1 = 0;
    std::int32_t Modifier2 = 0;
    std::int32_t Key = 0;
};

template <typename Table>
bool InTable(const Table& table, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

// "<None>" in a key list that starts with it gives no key, like a choice
// outside the table.
BindingCodes CodesOf(HotkeyAction action, const HotkeyChoice& choice)
{
    const int key = choice.Key - (KeyListStartsWithNone(action) ? 1 : 0);
    if (!InTable(ModifierCodes, choice.Modifier) || !InTable(KeyCodes, key)) return {};
    const ModifierRow& modifiers = ModifierCodes[choice.Modifier];
    return {modifiers.Modifier1, modifiers.Modifier2, KeyCodes[key].Code};
}

void Store(HotkeyBinding& binding, const BindingCodes& codes)
{
    binding.Modifier1.store(codes.Modifier1, std::memory_order_relaxed);
    binding.Modifier2.store(codes.Modifier2, std::memory_order_relaxed);
    binding.Key.store(codes.Key, std::memory_order_relaxed);
}

}  // namespace

void BuildHotkeyBindings(const HotkeyChoices& choices, HotkeyBindings& bindings)
{
    for (const HotkeyAction action : AllHotkeyActions)
        Store(bindings[action], CodesOf(action, choices[action]));
}

PerHotkeyAction<bool> ActionsSharingKeys(const HotkeyChoices& choices)
{
    PerHotkeyAction<bool> sharing{};
    PerHotkeyAction<BindingCodes> codes;
    for (const HotkeyAction action : AllHotkeyActions)
        codes[action] = CodesOf(action, choices[action]);
    for (const HotkeyAction a : AllHotkeyActions)
        for (const HotkeyAction b : AllHotkeyActions)
            if (a != b && codes[a].Key != 0 && codes[a].Key == codes[b].Key &&
                codes[a].Modifier1 == codes[b].Modifier1 &&
                codes[a].Modifier2 == codes[b].Modifier2)
                sharing[a] = true;
    return sharing;
}
