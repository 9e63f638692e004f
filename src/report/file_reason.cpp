#include "report/file_reason.h"

#include <cerrno>
#include <system_error>

namespace qav {

std::string fileErrorReason(int error) {
  switch (error) {
    case ENOENT: return "Ordner existiert nicht";
    case ENOTDIR: return "ein Teil des Pfads ist kein Ordner";
    case EISDIR: return "ist ein Ordner";
    case EACCES:
    case EPERM: return "keine Schreibberechtigung";
    case EROFS: return "Dateisystem ist schreibgeschützt";
    case ENOSPC:
    case EDQUOT: return "kein Platz mehr auf dem Datenträger";
  }
  return std::generic_category().message(error);
}

}  // namespace qav
