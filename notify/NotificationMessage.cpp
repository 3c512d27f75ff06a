#include "notify/NotificationMessage.h"

namespace {

// Values a host does not know fall back to its defaults.
LONG Clamp(LONG value, LONG highest, LONG fallback) {
    return value < 0 || value > highest ? fallback : value;
}

}  // namespace

HRESULT CNotificationMessage::CPersistObj::PersistData(WORD, CQelStreamIo& io) {
    CNotificationMessage& m = *message_;
    HRESULT hr = S_OK;
    if (FAILED(hr = io.Value(m.messageType))) return hr;
    if (FAILED(hr = io.Value(m.category))) return hr;
    if (FAILED(hr = io.Value(m.level))) return hr;
    if (FAILED(hr = io.Value(m.toastGuid))) return hr;
    if (FAILED(hr = io.Value(m.extra))) return hr;
    if (FAILED(hr = io.Value(m.notifyFlag))) return hr;
    if (!io.Writing()) {
        m.messageType = Clamp(m.messageType, 2, 0);
        m.category = Clamp(m.category, 5, 0);
        m.level = Clamp(m.level, 4, 1);
    }
    if (FAILED(hr = io.WideString(m.title))) return hr;
    return io.WideString(m.text);
}

HRESULT CNotificationMessage::Load(IStream* stream) {
    return persist.Load(stream);
}
