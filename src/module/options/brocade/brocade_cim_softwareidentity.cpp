#include "brocade_cim_softwareidentity.h"

#include "cimfunc.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "record_tables.h"

namespace Vornet {
namespace Brocade {

void BrocadeCimSoftwareIdentity::GetData(const Pegasus::CIMInstance& instance) {
    VORNET_LOG(4) << "Calling BrocadeCimSoftwareIdentity::GetData with Controller"
                  << LogText(instance.getPath().toString());
    properties = RecordTables::WantedNames(RecordTables::kSoftwareIdentityFields);
    CimFunc::GetProperties(instance, true, properties);
}

}  // namespace Brocade
}  // namespace Vornet
