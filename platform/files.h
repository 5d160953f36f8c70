#pragma once
// Every file operation of the modelled machine in one include.

#include "platform/disk_space.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_ops.h"
#include "platform/find_file.h"
#include "platform/machine.h"
#include "platform/prefix_lock.h"
#include "platform/win_error.h"
