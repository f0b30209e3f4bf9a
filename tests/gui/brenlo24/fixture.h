#pragma once
// Shared pieces of the communication program's window tests: waiting on
// the event loop, finding named controls, and a fresh program folder per
// test.
#include "common/installdata.h"
#include "common/progfolder.h"
#include "common/status.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace varenta::test {

// Runs the event loop until pred holds or ms milliseconds have passed;
// returns pred's last value.
inline bool waitFor(const std::function<bool()>& pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The named child control; a missing one fails the test.
template <class T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// A scratch folder named after the running test, emptied.
inline std::string testFolder(const std::string& prefix)
{
    const std::string folder =
        (std::filesystem::temp_directory_path() /
         ("varenta_" + prefix + "_" + std::to_string(::getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name()))
            .string();
    std::filesystem::remove_all(folder);
    return folder;
}

// Installs the program data into folder and makes it the program folder.
inline Status installTestProgram(const std::string& folder)
{
    const Status st = installProgramData(std::string(VARENTA_SOURCE_DIR) + "/data", folder);
    if (st == Status::Ok)
        setProgramFolder(folder);
    return st;
}

}  // namespace varenta::test
