#include "LoggerMemory.h"

LoggerMemory &loggerMemory()
{
    static LoggerMemory memory;
    return memory;
}
