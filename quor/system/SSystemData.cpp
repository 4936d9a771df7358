#include "quor/system/SSystemData.h"

#include "quor/gui/SDisplay.h"

quor::system::SSystemData sd;

namespace quor {
namespace system {

SSystemData::~SSystemData()
{
    delete displayInfo;
    displayInfo = nullptr;
}

void SSystemData::getCPUInfos()
{
    cpu.QueryFeatures();
    mmx = cpu.HasMMX();
    sse = cpu.HasSSE();
    sse2 = cpu.HasSSE2();
}

void SSystemData::getOSInfos()
{
    if (os.QueryFeatures()) osAcceptable = os.Acceptable();
}

void SSystemData::getDisplayInfos()
{
    if (displayInfo) return;
    gui::SDisplay* info = new gui::SDisplay();
    if (!info->AllMonitorRects()) {
        delete info;  // no display yet: try again once one exists
        return;
    }
    displayInfo = info;
}

bool SSystemData::Qualifies(bool needSSE, bool needSSE2) const
{
    if (needSSE2) return osAcceptable && mmx && sse && sse2;
    if (needSSE) return osAcceptable && mmx && sse;
    return osAcceptable && mmx;
}

}  // namespace system
}  // namespace quor
