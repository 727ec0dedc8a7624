#include "brocade_cim_port.h"

#include "cimfunc.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "record_tables.h"

namespace Vornet {
namespace Brocade {

void BrocadeCimPort::GetData(const Pegasus::CIMInstance& instance, ValueMaps* classes) {
    VORNET_LOG(4) << "Calling BrocadeCimPort::GetData with port"
                  << LogText(instance.getPath().toString());
    properties = RecordTables::WantedNames(RecordTables::kPortFields);
    CimFunc::GetProperties(instance, properties, classes);
}

}  // namespace Brocade
}  // namespace Vornet
