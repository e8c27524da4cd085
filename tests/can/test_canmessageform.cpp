// The message form the CAN master reports on: any window with addMessage and errorSignal.
#include "can/canmessageform.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

#include <QListWidget>
#include <QObject>
#include <gtest/gtest.h>

namespace {
// A window whose failed mark also returns the mark through its second argument.
class TwoArgumentWindow : public QObject {
public:
    QStringList lines;
    bool failed = false;
    void addMessage(const QString& t) { lines << t; }
    void errorSignal(bool flag, bool& result) {
        failed = failed || flag;
        result = failed;
    }
};
}  // namespace

TEST(CanMessageForm, WrapsEitherKindOfWindowAndSkipsOneThatIsGone) {
    auto* w = new TwoArgumentWindow;
    CanMessageForm f = messageFormOf(*w);
    f.addMessage("   Initialising CAN-Interface");
    f.errorSignal(true);
    EXPECT_EQ(w->lines, QStringList{"   Initialising CAN-Interface"});
    EXPECT_TRUE(w->failed);
    delete w;
    f.addMessage("after");  // nothing happens
    f.errorSignal(true);

    modGlobal::g_updateMode = false;  // the message window logs in manual mode only
    frmMessage2& m = frmMessage2::instance();
    CanMessageForm g = messageFormOf(m);
    g.addMessage("   Initialising USB-to-CAN 1");
    EXPECT_EQ(m.lstMessage->item(m.lstMessage->count() - 1)->text(), "   Initialising USB-to-CAN 1");
    g.errorSignal(true);
    EXPECT_TRUE(m.errorSignal(false));
    m.unload();
}
