#include "batch/regional_settings.h"

#include <QCoreApplication>
#include <QLocale>

#include "engine/my_tools.h"
#include "engine/texts.h"

namespace vk {

void ApplyRegionalSettings() {
  MyTools().SetThousandsSeparator(QLocale::system().groupSeparator().toStdString());
  SetTranslator([](const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
  });
}

}  // namespace vk
