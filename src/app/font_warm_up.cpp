// SPDX-License-Identifier: MIT
#include "font_warm_up.h"

#ifdef ODRA_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

FontWarmUp::FontWarmUp()
{
#ifdef ODRA_HAVE_FONTCONFIG
    // fontconfig is safe to start from two threads: should Qt ask before the helper is done,
    // it reads the configuration itself and one of the two copies is dropped.
    reader_ = std::thread([] { FcInit(); });
#endif
}

FontWarmUp::~FontWarmUp()
{
    finish();
}

void FontWarmUp::finish()
{
    if (reader_.joinable())
        reader_.join();
}
