#include "script/setup_script_schema.h"

const char* ValueKindName(ValueKind kind) {
    switch (kind) {
    case ValueKind::Text:
        return "text";
    case ValueKind::Path:
        return "path";
    case ValueKind::Boolean:
        return "boolean";
    case ValueKind::Number:
        return "number";
    case ValueKind::Constant:
        return "constant";
    }
    return "text";
}

const char* ExpansionName(Expansion expansion) {
    switch (expansion) {
    case Expansion::None:
        return "no";
    case Expansion::Full:
        return "yes";
    case Expansion::InstallDirOnly:
        return "%%INSTALLDIR%% only";
    case Expansion::AtStartup:
        return "at start-up";
    }
    return "no";
}

const char* ConstantTableName(ConstantKind kind) {
    switch (kind) {
    case ConstantKind::RegistryRoot:
        return "registry root";
    case ConstantKind::RegistryValueType:
        return "value type";
    case ConstantKind::ServiceType:
        return "service type";
    case ConstantKind::ServiceStartType:
        return "start type";
    case ConstantKind::ServiceErrorControl:
        return "error control";
    }
    return "registry root";
}
