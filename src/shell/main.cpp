// The program's entry: the show on the desktop.
#include "platform/platform.h"
#include "shell/show.h"

int main()
{
    return run_show(SdlPlatform);
}
