#include "gui/qt_settings.h"

#include <QSettings>

namespace gui {

std::string QtSettings::get(const std::string& app, const std::string& section,
                            const std::string& key, const std::string& fallback) {
  QSettings store(QString::fromStdString(app), QString::fromStdString(app));
  auto value = store.value(QString::fromStdString(section + "/" + key));
  if (store.status() != QSettings::NoError || !value.isValid())
    return fallback;
  return value.toString().toStdString();
}

void QtSettings::set(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) {
  QSettings store(QString::fromStdString(app), QString::fromStdString(app));
  store.setValue(QString::fromStdString(section + "/" + key), QString::fromStdString(value));
}

}  // namespace gui
