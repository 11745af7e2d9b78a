// vorn-path: puts a folder on the user's or the system's PATH, or takes it
// off, for the installer. The installer's own string functions stop at 1,024
// characters: a longer PATH read through them comes back cut or empty and
// would be written back so. Here PATH is read whole, the folder is appended
// (or its own entries removed), and every other entry is kept as it was.
//
//   vorn-path add|remove user|system FOLDER
#include <windows.h>

#include <string>
#include <vector>

namespace {

// An entry as Windows compares it: case aside, a trailing backslash aside.
std::wstring comparable(std::wstring entry)
{
    while (!entry.empty() && (entry.back() == L'\\' || entry.back() == L' '))
        entry.pop_back();
    while (!entry.empty() && entry.front() == L' ')
        entry.erase(entry.begin());
    if (!entry.empty())
        CharLowerBuffW(entry.data(), DWORD(entry.size()));
    return entry;
}

std::vector<std::wstring> entriesOf(const std::wstring &path)
{
    std::vector<std::wstring> entries;
    size_t from = 0;
    for (;;) {
        const size_t semicolon = path.find(L';', from);
        entries.push_back(path.substr(from, semicolon == std::wstring::npos ? std::wstring::npos
                                                                           : semicolon - from));
        if (semicolon == std::wstring::npos)
            return entries;
        from = semicolon + 1;
    }
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 4)
        return 2;
    const std::wstring action = argv[1];
    const bool system = std::wstring(argv[2]) == L"system";
    const std::wstring folder = argv[3];
    if ((action != L"add" && action != L"remove") || comparable(folder).empty())
        return 2;
    HKEY key = nullptr;
    if (RegCreateKeyExW(system ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                        system ? L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                               : L"Environment",
                        0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return 1;
    DWORD type = REG_EXPAND_SZ;
    DWORD size = 0;
    std::wstring path;
    LONG rc = RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
        rc = RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE *>(text.data()),
                              &size);
        if (rc != ERROR_SUCCESS) {
            RegCloseKey(key);
            return 1;
        }
        path.assign(text.data());
    } else if (rc != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(key);
        return 1;
    }
    // %SystemRoot% and the like stay unexpanded.
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        type = REG_EXPAND_SZ;

    const std::wstring wanted = comparable(folder);
    std::wstring changed;
    bool present = false;
    bool first = true;
    for (const std::wstring &entry : entriesOf(path)) {
        const bool ours = comparable(entry) == wanted;
        present = present || ours;
        if (ours && action == L"remove")
            continue;
        if (!first)
            changed += L';';
        changed += entry;
        first = false;
    }
    if (action == L"add") {
        if (present) {
            RegCloseKey(key);
            return 0;
        }
        changed = path;
        if (!changed.empty() && changed.back() != L';')
            changed += L';';
        changed += folder;
    } else if (!present) {
        RegCloseKey(key);
        return 0;
    }
    rc = RegSetValueExW(key, L"Path", 0, type, reinterpret_cast<const BYTE *>(changed.c_str()),
                        DWORD((changed.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return 1;
    // Programs started from now on (Explorer's) see the new PATH.
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000, nullptr);
    return 0;
}
