// An app with its own Core/, Models/ and Views/ folders first on its include path uses its own
// headers and the SDK's side by side.
#include <QORUniversalSDK/QORUniversalSDK.h>

#include "Core/JSON.h"
#include "Models/Bid.h"
#include "Views/AdView.h"

int appUsesBoth() {
    const app::JSON json;
    const app::Bid bid;
    const app::AdView view;
    const qor::JSON sdkJSON(true);
    const qor::AdSize size = qor::AdSize::banner();
    return json.depth + bid.cents + view.slot + (sdkJSON.isNull() || size.isCustom() ? 1 : 0);
}
