/* The installer stand-in's calls into setuphelper, in a file of their own so that each library's
 * plain C header is compiled as C99 on its own (both declare UninstInitialize, differently). */
#include "setup/setuphelper.h"

#include <dlfcn.h>
#include <stdio.h>

int helper_exports(void* library, const char* printer, FILE* out);
void load(void* function, size_t size, void* library, const char* name); /* installer_standin.c */

int helper_exports(void* library, const char* printer, FILE* out)
{
    int (*getPort)(void*, char*, size_t);
    load(&getPort, sizeof getPort, library, "GetPort");
    int (*usbCheck)(void);
    load(&usbCheck, sizeof usbCheck, library, "USBCheck");
    int (*is9821)(void);
    load(&is9821, sizeof is9821, library, "Is9821");
    int (*sdp)(void*, const char*);
    load(&sdp, sizeof sdp, library, "SDP");
    int (*browse)(void*, char*);
    load(&browse, sizeof browse, library, "SETUPHELPERr");
    int (*uninstall)(void);
    load(&uninstall, sizeof uninstall, library, "UninstInitialize");
    int (*uninstalled)(void);
    load(&uninstalled, sizeof uninstalled, library, "UninstUnInitialize");
    if (!getPort || !usbCheck || !is9821 || !sdp || !browse || !uninstall || !uninstalled)
        return 1;
    char ports[1024] = "";
    char chosen[260] = "";
    fprintf(out, "GetPort=%d %s\n", getPort(NULL, ports, sizeof ports), ports);
    fprintf(out, "USBCheck=%d\n", usbCheck());
    fprintf(out, "Is9821=%d\n", is9821());
    fprintf(out, "SDP=%d\n", sdp(NULL, printer));
    fprintf(out, "SETUPHELPERr=%d %s\n", browse(NULL, chosen), chosen);
    fprintf(out, "HelperUninstInitialize=%d\n", uninstall());
    fprintf(out, "HelperUninstUnInitialize=%d\n", uninstalled());
    return 0;
}
