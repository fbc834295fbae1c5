#include "db/AdoCommand.h"

AdoHandle AdoCommand::Execute()
{
    if (connection_ == nullptr || text_.isEmpty())
        return {};
    return connection_->Run(text_, parameters_);
}
