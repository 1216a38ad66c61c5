#include "AppVolume.h"

#include <algorithm>
#include <map>

#include "TarnMixerIds.h"
#include "common/TextError.h"

namespace {

wchar_t Folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

// File names as Windows compares them for the names programs have; letters
// beyond ASCII are compared as they are.
bool SameName(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return Folded(x) == Folded(y); });
}

bool FoldedLess(const std::wstring& a, const std::wstring& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return Folded(x) < Folded(y); });
}

bool EndsWithExe(const std::wstring& name)
{
    return name.size() > 4 && SameName(name.substr(name.size() - 4), L".exe");
}

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += c < 0x80 ? static_cast<char>(c) : '?';
    return result;
}

}  // namespace

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ExecutableName(const std::wstring& name)
{
    return EndsWithExe(name) ? name : name + L".exe";
}

void AppVolume::PickProcess(uint32_t process)
{
    const std::wstring path = Backend().ProgramPath(process);
    if (path.empty())
        throw TextError("There is no process " + std::to_string(process) +
                        " whose program can be read.");
    path_ = path;
    process_ = process;
}

void AppVolume::PickName(const std::wstring& name)
{
    Backend();
    if (FileNameOf(name).empty() || FileNameOf(name) != name)
        throw TextError("\"" + Narrow(name) + "\" is no program's file name.");
    path_ = ExecutableName(name);
    process_ = 0;
}

std::wstring AppVolume::DisplayName()
{
    std::wstring path = path_;
    if (process_ == 0) {
        // Picked by name: the description of the file that plays.
        for (const auto& session : Mine()) {
            path = Backend().ProgramPath(session->Process());
            break;
        }
    }
    const std::wstring description = path.empty() ? L"" : Backend().Description(path);
    if (!description.empty()) return description;
    const std::wstring name = FileNameOf(path_);
    return EndsWithExe(name) ? name.substr(0, name.size() - 4) : name;
}

int AppVolume::SessionCount() { return static_cast<int>(std::min<size_t>(Mine().size(), 0x7fff)); }

uint16_t AppVolume::Level()
{
    uint16_t loudest = 0;
    for (const auto& session : Sounding())
        loudest = std::max(loudest, session->Level());
    return loudest;
}

void AppVolume::SetLevel(uint16_t level)
{
    for (const auto& session : Sounding())
        session->SetLevel(level);
}

void AppVolume::Step(int32_t units)
{
    for (const auto& session : Sounding()) {
        const int64_t level = int64_t{session->Level()} + units;
        session->SetLevel(static_cast<uint16_t>(std::clamp<int64_t>(level, 0, FullVolume)));
    }
}

bool AppVolume::Muted()
{
    const Sessions sessions = Sounding();
    return std::all_of(sessions.begin(), sessions.end(),
                       [](const auto& session) { return session->Muted(); });
}

void AppVolume::SetMuted(bool muted)
{
    for (const auto& session : Sounding())
        if (session->Muted() != muted) session->SetMuted(muted);
}

std::wstring AppVolume::Programs()
{
    // Kept sorted as they come, each once in any case (std::sort over them
    // stops GCC 12's link-time optimisation of the DLL with an internal error).
    std::vector<std::wstring> names;
    for (const auto& session : Backend().List()) {
        if (session->Process() == 0) continue;
        const std::wstring name = FileNameOf(Backend().ProgramPath(session->Process()));
        const auto at = std::lower_bound(names.begin(), names.end(), name, FoldedLess);
        if (!name.empty() && (at == names.end() || !SameName(*at, name))) names.insert(at, name);
    }
    std::wstring text;
    for (const std::wstring& name : names)
        text += name + L"\n";
    return text;
}

AppSessions& AppVolume::Backend()
{
    if (!sessions_) throw TextError(NoAppVolumeText);
    return *sessions_;
}

AppVolume::Sessions AppVolume::Mine()
{
    AppSessions& backend = Backend();
    if (path_.empty()) throw TextError("No program is picked: set appProcess or appName first.");
    std::map<uint32_t, std::wstring> paths;  // one question per process
    Sessions mine;
    for (auto& session : backend.List()) {
        const uint32_t process = session->Process();
        if (process == 0) continue;  // the system's sounds are no program's
        const auto known = paths.find(process);
        const std::wstring& path =
            known != paths.end() ? known->second : (paths[process] = backend.ProgramPath(process));
        if (IsMine(path, process)) mine.push_back(std::move(session));
    }
    return mine;
}

AppVolume::Sessions AppVolume::Sounding()
{
    Sessions mine = Mine();
    if (mine.empty()) throw TextError(Narrow(DisplayName()) + " has no sound now.");
    return mine;
}

bool AppVolume::IsMine(const std::wstring& sessionPath, uint32_t sessionProcess) const
{
    if (process_ != 0) return sessionProcess == process_ || SameName(sessionPath, path_);
    return SameName(FileNameOf(sessionPath), path_);
}
