#pragma once

#include "update/RunUpdate.h"
#include "workspace/Settings.h"

namespace orvex {

// What the settings ask every job of an update run for.
inline UpdateJobSettings UpdateJobSettingsFrom(const Settings& settings)
{
    UpdateJobSettings job;
    job.useProxy = settings.useProxy;
    job.proxyUser = settings.proxyUser;
    job.proxyPassword = settings.proxyPassw;
    job.screenshot = settings.createScr;
    job.width = settings.scrWidth;
    job.height = settings.scrHeight;
    job.thumbnail = settings.createThumb;
    return job;
}

} // namespace orvex
