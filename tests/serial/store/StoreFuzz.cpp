// libFuzzer target for the store's reader and writer: each input is tried as the per-user
// settings store and as an ini file. A broken promise aborts, and the fuzzer keeps the input.
// Built with -DTQ_FUZZ=ON and clang; scripts/fuzz-store.sh runs it for a bounded time.

#include "StoreRoundTrip.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    static QTemporaryDir dir(ScratchTemplate());
    const QByteArray file(reinterpret_cast<const char *>(Data), qsizetype(Size));
    for (TStoreType kind : {stRegistry, stIniFile}) {
        const QString fault = StoreRoundTripFault(file, kind, dir.path());
        if (!fault.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", kind == stRegistry ? "store" : "ini file", qPrintable(fault));
            std::abort();
        }
    }
    return 0;
}
