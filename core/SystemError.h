#pragma once

#include <QString>

// The operating system's error numbers in one place: the number the last
// failing call left (GetLastError() on Windows, errno elsewhere), the file
// layer's numbers and texts as the user meets them ("File access denied"),
// and a plain sentence on what to do where the number alone says nothing to
// a station's staff.
namespace SystemError {

// The file layer's numbers (those of Windows; other systems' are mapped).
enum FileError {
    kFileNotFound = 2,
    kPathNotFound = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kGeneralFailure = 31,
    kSharingViolation = 32,
    kDiskFull = 112,
};

int last();
void clear();
// The number of a call on something that is not open (an invalid handle).
int notOpen();
// The file layer's number for a system error number.
int fileError(int systemError);
// "File not found", "Invalid filename", "File access denied", "I/O error <n>".
QString fileErrorText(int fileError);
// What to do when opening a serial port failed with this number, in one
// Hungarian sentence; empty where there is nothing better to say.
QString portOpenAdvice(int systemError);

} // namespace SystemError
