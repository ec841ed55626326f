// The program's icon, compiled into the resources, for the windows' captions and the task bar.
#pragma once

#include <QIcon>

namespace lectorix {

QIcon ProgramIcon();

}  // namespace lectorix
