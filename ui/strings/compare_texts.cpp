#include "ui/strings/compare_texts.h"

namespace zdl {

namespace {

struct Pair {
  std::string_view english;
  std::string_view spanish;
};

Pair Texts(CompareText text) {
  switch (text) {
    case CompareText::ReadingBackup:
      return {"Reading the unit's configuration for the backup...",
              "Leyendo la configuración del equipo para la copia de seguridad..."};
    case CompareText::BackupSaved:
      return {"Backup of the unit's configuration saved in %1.",
              "Copia de seguridad de la configuración del equipo guardada en %1."};
    case CompareText::BackupReadFailed:
      return {"The unit's configuration could not be read for the backup: nothing was written.",
              "No se pudo leer la configuración del equipo para la copia de seguridad: no se "
              "ha escrito nada."};
    case CompareText::BackupSaveFailed:
      return {"The backup could not be saved (%1): nothing was written.",
              "No se pudo guardar la copia de seguridad (%1): no se ha escrito nada."};
    case CompareText::BackupIsInput:
      return {"The backup must not overwrite the file being written.",
              "La copia de seguridad no puede sobrescribir el fichero que se escribe."};
    case CompareText::ReadingBack:
      return {"Reading the configuration back to verify it...",
              "Leyendo de nuevo la configuración para verificarla..."};
    case CompareText::Verified:
      return {"Verified: the unit keeps what was written.",
              "Verificado: el equipo guarda lo que se ha escrito."};
    case CompareText::VerifyDiffers:
      return {"The unit keeps %1 value(s) other than what was written:",
              "El equipo guarda %1 valor(es) distinto(s) de lo escrito:"};
    case CompareText::VerifyReadFailed:
      return {"The configuration could not be read back to verify it.",
              "No se pudo leer de nuevo la configuración para verificarla."};
    case CompareText::UnitReadFailed:
      return {"The configuration could not be read from the unit.",
              "No se pudo leer la configuración del equipo."};
    case CompareText::CompareCommand: return {"Compare...", "Comparar..."};
    case CompareText::CompareWithFile: return {"Compare with a file", "Comparar con un fichero"};
    case CompareText::CompareWithUnit: return {"Compare with the unit", "Comparar con el equipo"};
    case CompareText::NoDifferences: return {"No differences.", "No hay diferencias."};
    case CompareText::TakeOverSelected:
      return {"Take over the selected values", "Adoptar los valores seleccionados"};
    case CompareText::ColumnEditor: return {"Editor", "Editor"};
    case CompareText::ColumnField: return {"Field", "Campo"};
    case CompareText::ColumnThisSide: return {"This side", "Este lado"};
    case CompareText::ColumnOtherSide: return {"Other side", "Otro lado"};
    case CompareText::BackUpFirst:
      return {"Back up the unit first", "Copia de seguridad del equipo antes"};
    case CompareText::VerifyAfterWriting:
      return {"Verify after writing", "Verificar después de escribir"};
    case CompareText::CompareTitle: return {"Compare", "Comparar"};
    case CompareText::CompareQuestion:
      return {"Compare the editors' configuration with a file or with the connected unit?",
              "¿Comparar la configuración de los editores con un fichero o con el equipo conectado?"};
    case CompareText::ThisSideEditors:
      return {"This side: the editors' configuration.",
              "Este lado: la configuración de los editores."};
    case CompareText::OtherSideFile: return {"Other side: %1", "Otro lado: %1"};
    case CompareText::OtherSideUnit:
      return {"Other side: the configuration read from the unit.",
              "Otro lado: la configuración leída del equipo."};
    case CompareText::OtherSideVerify:
      return {"Other side: what the unit keeps of the write.",
              "Otro lado: lo que el equipo guarda de la escritura."};
    case CompareText::DifferenceCount: return {"%1 difference(s).", "%1 diferencia(s)."};
  }
  return {};
}

}  // namespace

std::string_view CompareTextIn(Lang lang, CompareText text) {
  const Pair pair = Texts(text);
  return lang == Lang::Spanish ? pair.spanish : pair.english;
}

std::string CompareTextWith(Lang lang, CompareText text, std::string_view argument) {
  std::string result(CompareTextIn(lang, text));
  if (const std::size_t at = result.find("%1"); at != std::string::npos) {
    result.replace(at, 2, argument);
  }
  return result;
}

}  // namespace zdl
