// A scripted key source in place of the console.
#include "console.h"
#include "fakes.h"

FakeConsole fakeConsole;

void consoleOpen() {
    fakeLog("consoleOpen");
    fakeConsole.opened = true;
}

bool consoleKeyWaiting() { return true; }

int consoleReadKey() {
    if (!fakeConsole.opened) {
        fakeLog("ReadKey before consoleOpen");
    } else {
        fakeLog("ReadKey");
    }
    if (fakeConsole.next >= fakeConsole.keys.size()) return -1;
    return fakeConsole.keys[fakeConsole.next++];
}

int consoleFd() { return -1; }

void consoleRestore() noexcept {}
