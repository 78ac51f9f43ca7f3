// Product identity shared by the executables and their version resources.
#pragma once

#define TM_VERSION_BINARY 1, 31, 0, 0
#define TM_VERSION_TEXT "1.31.0.0"
#define TM_PRODUCT_NAME "Tidemark"
#define TM_COMPANY_NAME "Corvane"
