#include "tst_ui.h"

std::unique_ptr<QObject> PloverTest::newPrintFlowTest()
{
    return std::make_unique<QObject>();
}
