#pragma once

// The main() of a widget suite. Under Wine a suite whose threads worked the
// archive can hang when it ends, in libstdc++'s DLL_PROCESS_DETACH, after
// every case has run and the report is complete; on Windows such a suite
// therefore ends itself without unloading the DLLs.
#include <QApplication>
#include <QTest>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#define KFZ_TEST_MAIN(TestObject)                                                                  \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        const int rc = QTest::qExec(&test, argc, argv);                                            \
        std::fflush(nullptr);                                                                      \
        ::TerminateProcess(::GetCurrentProcess(), UINT(rc));                                       \
        return rc;                                                                                 \
    }
#else
#define KFZ_TEST_MAIN(TestObject) QTEST_MAIN(TestObject)
#endif
