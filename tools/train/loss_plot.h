// The loss curves of a training run as a small SVG image, which any browser
// shows: training loss in blue, held-out loss in red, one point per epoch,
// over a light grid labelled with the loss range. The numbers themselves go
// in the trainer's table.
#pragma once

#include <string>
#include <vector>

namespace qb::train {

bool write_loss_plot(const std::string& path, const std::vector<double>& training,
                     const std::vector<double>& held_out, std::string* error);

}  // namespace qb::train
