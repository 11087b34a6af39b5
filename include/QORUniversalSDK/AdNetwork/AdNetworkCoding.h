#pragma once

// The one place where the ad network's own records meet the shared coding layer, as
// Models/OpenRTB/OpenRTBCoding.h is for the bid-request records.
#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>
