// Cases not written yet.
#include "host_cases.h"
#include "host_log.h"
void RunFramesCase(const HostOptions&) { Fail("not written"); }
void RunKeysCase(const HostOptions&) { Fail("not written"); }
void RunSameThreadCase(const HostOptions&) { Fail("not written"); }
void RunInitFailureCase(const HostOptions&) { Fail("not written"); }
void RunCycleCase(const HostOptions&) { Fail("not written"); }
void RunLifecycleCase(const HostOptions&) { Fail("not written"); }
