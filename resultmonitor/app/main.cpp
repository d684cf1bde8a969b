// resultmonitor: the tray program that shows the results devices report for sent fax jobs.
#include "resultmonitor/app/result_frame.h"

int main(int argc, char** argv)
{
    return RunResultMonitor(argc, argv);
}
