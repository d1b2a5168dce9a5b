// Stands in for a program the tests start through the shell: leaves an empty
// file "ran" beside itself and ends.
#include <windows.h>

int main()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    DWORD slash = n;
    while (slash > 0 && path[slash - 1] != L'\\')
        --slash;
    if (slash + 4 > MAX_PATH)
        return 1;
    lstrcpyW(path + slash, L"ran");
    const HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(file);
    return 0;
}
