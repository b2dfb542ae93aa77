// The contest file's schema: seven STRICT tables and the eight triggers that
// number divisions, teams and contestants and guard their limits.
#pragma once

extern const char kSchemaScript[];
