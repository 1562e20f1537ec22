#include "interface/base/engine_status.h"

namespace qb {

DatabaseStatus g_database_status;
BookStatus g_book_status;

}  // namespace qb
