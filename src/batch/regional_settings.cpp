#include "batch/regional_settings.h"

#include <QLocale>

#include "engine/my_tools.h"

namespace vk {

void ApplyRegionalSettings() {
  MyTools().SetThousandsSeparator(QLocale::system().groupSeparator().toStdString());
}

}  // namespace vk
