#include "db/AppDatabase.h"

AppDatabase& AppDatabase::Instance()
{
    static AppDatabase db;
    return db;
}
