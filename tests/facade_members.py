"""The facade's two constructors, destructor and five operations as the host binds to them, by
their whole mangled names: GCC on Linux and MinGW on Windows both mangle as the Itanium C++ ABI
says, so a changed parameter type shows on either platform."""

FACADE_MEMBERS = ["_ZN6Vornet7Brocade7Brocade" + member for member in (
    "C1Ev", "C1ERKNS_16VornetConnection14ConnectionInfoE", "D1Ev",
    "14GetAdapterInfoERSt6vectorINS_13VornetOptions14NetworkAdapterESaIS4_EE",
    "21GetSoftwareIdentitiesERSt6vectorINS_13VornetOptions17SoftwareIdentity_ESaIS4_EE",
    "10GetRawDataERSt6vectorINS_9VornetIHV8RawData_ESaIS4_EE",
    "12GetDiagItemsERSt6vectorINSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEESaIS8_EE",
    "13RunDiagnosticERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"
    "RNS_9VornetIHV17DiagnosticRecord_E")]
