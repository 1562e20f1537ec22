#include "search/db_probe.h"

namespace qb {

SearchDatabase g_search_db;

}  // namespace qb
