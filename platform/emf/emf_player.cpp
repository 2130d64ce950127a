#include "platform/emf/emf_player.h"
