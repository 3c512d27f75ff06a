#include "notify/NotificationMessage.h"

#include "app/ScanContext.h"

// The message's wire form arrives with the persistence layer; until then a
// notification is dropped like one to a host that is gone.
void SendHostNotification(int /*messageType*/, const wchar_t* /*text*/) {
    if (!g_ctx.hostWindow) return;
}
