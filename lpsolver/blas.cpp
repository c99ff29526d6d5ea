#include "lpsolver/blas.h"

namespace lp {

void setBlasSingleThreaded() {
    openblas_set_num_threads(1);
}

} // namespace lp
