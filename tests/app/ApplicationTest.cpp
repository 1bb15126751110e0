// Exceptions that escape an event handler reach the standard display and the loop goes on.
#include "TestSupport.h"

#include "serial/Exception.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

class TThrowingObject : public QObject {
public:
    bool Foreign = false;
    int Handled = 0;

protected:
    void customEvent(QEvent *) override
    {
        ++Handled;
        if (Foreign)
            throw std::runtime_error("not ours");
        throw Exception(QStringLiteral("'x' is not a valid integer value"));
    }
};

} // namespace

TEST(Application, EscapedExceptionsAreShownAndTheLoopGoesOn)
{
    TThrowingObject object;
    TMessageRecorder boxes;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    object.Foreign = true;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();

    EXPECT_EQ(object.Handled, 2);
    ASSERT_EQ(boxes.Calls.size(), 2u);
    EXPECT_EQ(boxes.Calls[0].Text, QStringLiteral("'x' is not a valid integer value"));
    EXPECT_EQ(boxes.Calls[0].Caption, QStringLiteral("Level sensor configurator"));
    EXPECT_EQ(boxes.Calls[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.Calls[1].Text, QString()); // a foreign exception carries no text for the user
}
