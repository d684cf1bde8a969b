/* Stands in for the installer, which is outside the suite: loads driversetupnt and setuphelper by
 * path and calls every export the way an installation and a removal do, writing each result as one
 * line "NAME=value" to the output file.
 * Usage: installer_standin DRIVERSETUPNT SETUPHELPER SOURCEFOLDER OUTFILE */
#include "setup/driversetupnt.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

int helper_exports(void* library, const char* printer, FILE* out); /* header_check.c */
void load(void* function, size_t size, void* library, const char* name);
const char* __lsan_default_suppressions(void);

/* LeakSanitizer's own list for this program, whatever the environment says: the D-Bus library that
 * the libraries' toolkit loads keeps blocks it no longer points to for the life of the process,
 * which would end every run with a leak report and exit status 1. Leaks of the suite still count. */
const char* __lsan_default_suppressions(void)
{
    return "leak:libdbus-1.so\n";
}

/* Stores the address of an export into a function pointer (null when it is missing). */
void load(void* function, size_t size, void* library, const char* name)
{
    void* address = dlsym(library, name);
    if (!address)
        fprintf(stderr, "missing export %s\n", name);
    memcpy(function, &address, size);
}

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: installer_standin DRIVERSETUPNT SETUPHELPER SOURCEFOLDER OUTFILE\n");
        return 2;
    }
    void* nt = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    void* helper = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    FILE* out = fopen(argv[4], "w");
    if (!nt || !helper || !out) {
        fprintf(stderr, "cannot load: %s\n", dlerror());
        return 2;
    }
    int (*printerCheck)(const char*, char*);
    load(&printerCheck, sizeof printerCheck, nt, "PrinterCheck");
    int (*ipd)(void*, const char*, const char*, const char*, const char*, const char*, const char*, const char*);
    load(&ipd, sizeof ipd, nt, "IPD");
    int (*mfe)(const char*);
    load(&mfe, sizeof mfe, nt, "MFE");
    int (*uninstall)(void*);
    load(&uninstall, sizeof uninstall, nt, "UninstInitialize");
    int (*uninstalled)(void);
    load(&uninstalled, sizeof uninstalled, nt, "UninstUnInitialize");
    int (*dpd)(void);
    load(&dpd, sizeof dpd, nt, "DPD");
    if (!printerCheck || !ipd || !mfe || !uninstall || !uninstalled || !dpd)
        return 3;

    char printer[260];
    memset(printer, 0, sizeof printer);
    fprintf(out, "PrinterCheck=%d %s\n", printerCheck("Qelta Fax", printer), printer);
    fprintf(out, "IPD=%d\n", ipd(NULL, "Qelta Driver", printer, NULL, argv[3], NULL, NULL, argv[3]));
    if (helper_exports(helper, printer, out) != 0)
        return 3;
    char scratch[4096];
    snprintf(scratch, sizeof scratch, "%s/scratch.tmp", argv[3]);
    FILE* file = fopen(scratch, "w");
    if (file)
        fclose(file);
    fprintf(out, "MFE=%d\n", mfe(scratch));
    fprintf(out, "UninstInitialize=%d\n", uninstall(NULL));
    fprintf(out, "UninstUnInitialize=%d\n", uninstalled());
    fclose(out);
    dlclose(helper);
    dlclose(nt);
    return 0;
}
