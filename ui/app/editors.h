// The editor windows other than General, each built from the field table.
#pragma once

#include "model/configuration_record.h"
#include "model/field_table.h"

class QWidget;

namespace zdl::ui {

class EditorWindow;

// Alarmas (digital inputs 0-3, analog 0-1) or Alarmas2 (digital 4-7, analog 2-3): one
// design built twice.
EditorWindow* NewAlarmEditor(EditorId id, ConfigurationRecord& record, QWidget* parent);
EditorWindow* NewMacrosEditor(ConfigurationRecord& record, QWidget* parent);
EditorWindow* NewDataloggerEditor(ConfigurationRecord& record, QWidget* parent);
EditorWindow* NewTimersEditor(ConfigurationRecord& record, QWidget* parent);

}  // namespace zdl::ui
