#include "messenger/TolvarProgram.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "messenger/Unit1.h"
#include "messenger/Unit10.h"
#include "messenger/Unit11.h"
#include "messenger/Unit12.h"
#include "messenger/Unit13.h"
#include "messenger/Unit14.h"
#include "messenger/Unit15.h"
#include "messenger/Unit16.h"
#include "messenger/Unit17.h"
#include "messenger/Unit18.h"
#include "messenger/Unit19.h"
#include "messenger/Unit2.h"
#include "messenger/Unit3.h"
#include "messenger/Unit4.h"
#include "messenger/Unit5.h"
#include "messenger/Unit6.h"
#include "messenger/Unit7.h"
#include "messenger/Unit8.h"
#include "messenger/Unit9.h"
#include "messenger/WindowLayout.h"
#include "platform/classlib/application.h"
#include "platform/registry/registry.h"
#include "platform/win/statedir.h"

namespace tolvar {

namespace {

// Notices of the registry (a hive that could not be read and was set aside). They arrive with the
// registry locked, so they wait here until the start can show them.
std::mutex gNoticeMutex;
std::vector<std::string> gNotices;

void KeepNotice(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());  // the log
    std::lock_guard<std::mutex> lock(gNoticeMutex);
    gNotices.push_back(message);
}

void ShowNotices() {
    std::vector<std::string> notices;
    {
        std::lock_guard<std::mutex> lock(gNoticeMutex);
        notices.swap(gNotices);
    }
    for (const auto& n : notices) Application->ShowException(Exception(n));
}

// A save an earlier run did not finish (a process killed mid-write) leaves its temporary file beside
// the ini files or the hives; such files go before anything is read.
void RemoveUnfinishedSaves() {
    win::RemoveStaleTemporaries(win::WindowsDir());
    const std::string hive = reg::HiveFilePath(HKEY_CURRENT_USER);
    win::RemoveStaleTemporaries(hive.substr(0, hive.rfind('/')));
}

}  // namespace

void CreateForms() {
    RemoveUnfinishedSaves();
    reg::SetNoticeHandler(KeepNotice);
    Application->Title = "Tolvar";
    Application->CreateForm(Form1);
    Application->CreateForm(Form2);
    Application->CreateForm(Form3);
    Application->CreateForm(Form4);
    Application->CreateForm(Form5);
    Application->CreateForm(Form6);
    Application->CreateForm(Form7);
    Application->CreateForm(Form8);
    Application->CreateForm(Form9);
    Application->CreateForm(Form10);
    Application->CreateForm(Form11);
    Application->CreateForm(Form12);
    Application->CreateForm(Form13);
    Application->CreateForm(Form14);
    Application->CreateForm(Form15);
    Application->CreateForm(Form16);
    Application->CreateForm(Form17);
    Application->CreateForm(Form18);
    Application->CreateForm(Form19);
    messenger::LayOutWindows();
}

void ShowMainForm() {
    if (Application->ShowMainForm && Application->MainForm()) Application->MainForm()->Show();
    ShowNotices();
}

}  // namespace tolvar
