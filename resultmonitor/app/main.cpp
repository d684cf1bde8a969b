// resultmonitor: the tray program that shows the results devices report for sent fax jobs.
#include "common/data_folders.h"
#include "resultmonitor/app/result_frame.h"

int main(int argc, char** argv)
{
    const auto foreign = MendUserFolders();
    return RunResultMonitor(argc, argv, foreign);
}
